#include "gif/gif.h"

int verb = 1;
int loop_delay = 20;
int loop_end_delay = 80;
int keep_delays = 0;
int fit_canvas = 0;
int center_frames = 0;
int compact_tables = 0;
int loop_count = 0;
int loop_mode = loop_default;
int fit_width = 0;
int fit_height = 0;

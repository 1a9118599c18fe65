#include "gif/run.h"

#include <cstdio>

void run_message(join_run& r, const char* line) {
    if (r.say)
        r.say(r.say_context, line);
    else
        std::printf("%s\n", line);
}

void run_warning(join_run& r, const char* line) {
    if (r.warn)
        r.warn(r.say_context, line);
    else
        std::fprintf(stderr, "%s\n", line);
}

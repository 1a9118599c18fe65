// The output named by a path, replaced whole or not at all. The join is
// written to a new file in the output's own directory, which is renamed
// over the output only once the run has succeeded: until then the old
// output is untouched, and a run that fails takes its new file away. The
// new file gets the old output's permission bits (and owner, where
// allowed). A symbolic link stays a link: the file it leads to is
// replaced. A path that names something other than a regular file (a
// device, a pipe, a terminal) is written directly, and so is a regular
// file whose directory takes no new file; such a file is cut to the join's
// length only when the run is over, so a run that writes nothing leaves it
// as it was.
#pragma once

#include <string>

struct output_file {
    std::string target;  // the file replaced: the output, or where its links lead
    std::string temp;    // the new file; empty when writing directly
    int fd = -1;           // open for writing (and reading, where allowed)
    bool regular = false;  // writing directly into a regular file
};

// Opens the output for writing, creating the new file. Returns 1 when open.
int open_output_file(const std::string& path, output_file& f);

// The run succeeded and the descriptor is closed: makes the written file,
// `length` bytes, the output. Returns 1 when done.
int commit_output_file(output_file& f, unsigned long long length);

// The run failed and the descriptor is closed: removes the new file,
// leaving the output as it was.
void abandon_output_file(output_file& f);

// Text files written by name.  Every open, write and close is checked; a
// failure stops the run with a message that names the file.
#pragma once

#include <cstdio>
#include <string>

struct textout {
    std::FILE* file = nullptr;
    std::string name;
    std::string routine;  // named in the stop message
    ~textout()
    {
        if (file) std::fclose(file);
    }
};

// Opens `name` for writing: from its start (replacing the content) or, with
// append, at its end; creates it when needed.
void textopen(textout& out, const std::string& name, bool append, const std::string& routine);

// Takes an open descriptor for writing under the given name (the name
// that messages give); the stream owns fd from now on.  A failure stops
// the run.
void textattach(textout& out, int fd, const std::string& name, const std::string& routine);

// Writes the text as it stands (line ends included by the caller).
void textwrite(textout& out, const std::string& text);

// Closes the file; a failure to flush the last bytes stops the run too.
void textclose(textout& out);

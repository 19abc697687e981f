// The C library's buffered streams and the end of the process, through the
// door: each call that can fail asks the fault hook first, under its own name.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string_view>

// Writes the whole text ("fwrite"); false, errno set, if any of it was not written.
bool stream_write(std::FILE *stream, std::string_view text);
// Hands what the stream holds to the system ("fflush"); false, errno set, on failure.
bool stream_flush(std::FILE *stream);
// Up to size bytes ("fread"); fewer only at the end of the stream or on a read error.
std::size_t stream_read(std::FILE *stream, void *data, std::size_t size);
// Up to size bytes, stopping after a line feed ("getc"): what one typed line gives.
std::size_t stream_read_line(std::FILE *stream, char *data, std::size_t size);
// Ends the process with status, its streams flushed and closed.
[[noreturn]] void end_process(int status);

// The C library's buffered streams and the end of the process, through the
// door: each call that can fail asks host.hpp's fault hook first, under its own
// name, so tests can fail it on every host.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string_view>

#include "platform/host.hpp"

// Writes the whole text ("fwrite"); false, errno set, if any of it was not written.
bool stream_write(std::FILE *stream, std::string_view text);
// Hands what the stream holds to the system ("fflush"); false, errno set, on failure.
bool stream_flush(std::FILE *stream);
// Up to size bytes into got ("fread"); false, errno set, on a read error, which
// a short count alone does not tell from the end of the stream.
bool stream_read_some(std::FILE *stream, void *data, std::size_t size, std::size_t &got);
// Back to the first byte ("fseek"); false, errno set, on failure.
bool stream_rewind(std::FILE *stream);
// Whether a read or write of the stream has failed ("ferror").
bool stream_failed(std::FILE *stream);
// Reads go straight into the caller's buffers ("setvbuf").
void stream_unbuffered(std::FILE *stream);
// Closes the stream ("fclose"): of an input, nothing is lost if that fails.
void stream_close(std::FILE *stream);
// Up to size bytes, stopping after a line feed ("getc"): what one typed line gives.
std::size_t stream_read_line(std::FILE *stream, char *data, std::size_t size);
// Ends the process with status, its streams flushed and closed.
[[noreturn]] void end_process(int status);

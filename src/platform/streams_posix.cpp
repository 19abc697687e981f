// The C library's buffered streams, on POSIX hosts and in the Windows C runtime alike.
#include <cstdlib>

#include "platform/streams.hpp"

bool stream_write(std::FILE *stream, std::string_view text) {
    return !host::faulted("fwrite") &&
           std::fwrite(text.data(), 1, text.size(), stream) == text.size();
}

bool stream_flush(std::FILE *stream) {
    return !host::faulted("fflush") && std::fflush(stream) == 0;
}

std::size_t stream_read_line(std::FILE *stream, char *data, std::size_t size) {
    if (host::faulted("getc")) return 0;
    std::size_t got = 0;
    int c = 0;
    while (got < size && (c = std::getc(stream)) != EOF) {
        data[got++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    return got;
}

bool stream_read_some(std::FILE *stream, void *data, std::size_t size, std::size_t &got) {
    got = 0;
    if (host::faulted("fread")) return false;
    got = std::fread(data, 1, size, stream);
    return got == size || std::ferror(stream) == 0;
}

bool stream_rewind(std::FILE *stream) {
    return !host::faulted("fseek") && std::fseek(stream, 0, SEEK_SET) == 0;
}

bool stream_failed(std::FILE *stream) {
    return std::ferror(stream) != 0;
}

void stream_unbuffered(std::FILE *stream) {
    static_cast<void>(std::setvbuf(stream, nullptr, _IONBF, 0));
}

void stream_close(std::FILE *stream) {
    std::fclose(stream);
}

void end_process(int status) {
    std::exit(status);
}

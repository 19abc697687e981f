/* The durable floor of one batch tile: what any tool that reads a 16-bit tile
 * and leaves its outputs on the disk for good must do, and nothing more. It
 * takes the folder and the tile's name from standard input, as groundzero
 * does, reads images/<folder>/<name>_m2.raw, writes as many bytes as the
 * output raster holds and a descriptor and a header of groundzero's sizes
 * under temporary names, syncs each, renames them onto
 * <name>_new_base_m2.raw/.txt/.hdr and syncs the folder. bench/batch.py puts
 * it on the recipe's PATH under the name groundzero. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { NAME_MAX_LEN = 255, PATH_LEN = 1024, OUTPUTS = 3 };

static void fail(const char *what, const char *path) {
    perror(path);
    fprintf(stderr, "batch_floor: cannot %s\n", what);
    exit(1);
}

static char *read_input(const char *path, size_t *size) {
    const int fd = open(path, O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) fail("open the input", path);
    char *bytes = malloc(st.st_size > 0 ? (size_t)st.st_size : 1);
    size_t got = 0;
    while (bytes != NULL && got < (size_t)st.st_size) {
        const ssize_t n = read(fd, bytes + got, (size_t)st.st_size - got);
        if (n <= 0) fail("read the input", path);
        got += (size_t)n;
    }
    if (bytes == NULL) fail("hold the input", path);
    close(fd);
    *size = got;
    return bytes;
}

static void write_synced(const char *path, const char *bytes, size_t size) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) fail("create", path);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n <= 0) fail("write", path);
        done += (size_t)n;
    }
    if (fsync(fd) != 0 || close(fd) != 0) fail("sync", path);
}

int main(void) {
    char folder[NAME_MAX_LEN + 1], name[NAME_MAX_LEN + 1];
    if (scanf("%255s %255s", folder, name) != 2) fail("read the folder and the name", "stdin");
    char dir[PATH_LEN], path[PATH_LEN];
    snprintf(dir, sizeof dir, "images/%s", folder);
    snprintf(path, sizeof path, "%s/%s_m2.raw", dir, name);
    size_t raster_size = 0;
    char *raster = read_input(path, &raster_size);

    /* A descriptor and a header as long as groundzero's for a 256 x 256 tile. */
    static const char descriptor[] = "256\r\n256\r\n2\r\n12000\r\n57000\r\n25\r\n";
    static const char header[] = "NROWS 256\r\nNCOLS 256\r\nNBANDS 1\r\nNBITS 16\r\n"
                                 "PIXELTYPE UNSIGNEDINT\r\nBYTEORDER I\r\nLAYOUT BIL\r\n"
                                 "XDIM 25\r\nYDIM 25\r\n";
    const char *suffix[OUTPUTS] = {"raw", "txt", "hdr"};
    const char *bytes[OUTPUTS] = {raster, descriptor, header};
    const size_t sizes[OUTPUTS] = {raster_size, sizeof descriptor - 1, sizeof header - 1};
    char part[OUTPUTS][PATH_LEN];
    for (int i = 0; i < OUTPUTS; ++i) {
        snprintf(part[i], PATH_LEN, "%s/%s_new_base_m2.%s.%d.part", dir, name, suffix[i], (int)getpid());
        write_synced(part[i], bytes[i], sizes[i]);
    }
    for (int i = 0; i < OUTPUTS; ++i) {
        snprintf(path, sizeof path, "%s/%s_new_base_m2.%s", dir, name, suffix[i]);
        if (rename(part[i], path) != 0) fail("rename", part[i]);
    }
    const int folder_fd = open(dir, O_RDONLY | O_DIRECTORY);
    if (folder_fd < 0 || fsync(folder_fd) != 0 || close(folder_fd) != 0) fail("sync the folder", dir);
    free(raster);
    return 0;
}

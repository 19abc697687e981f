// The first stage: banner, input questions, input files, descriptor and pixel
// size, then the matching reader and the size report.
#include <cerrno>
#include <climits>

#include "dem/dem_files.hpp"
#include "dem/descriptor.hpp"
#include "number/extended_arith.hpp"
#include "number/number_text.hpp"
#include "platform/console.hpp"
#include "platform/pair_reading.hpp"
#include "platform/streams.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

namespace {
const char *const banner[] = {
    "\n\n\t**************************************************************",
    "\n\t*                                                            *",
    "\n\t*               GROUNDZEROHYPSOMETRIZER                      *",
    "\n\t*                                                            *",
    "\n\t*                                                            *",
    "\n\t*                                                            *",
    "\n\t*                                                            *",
    "\n\t*                                         ARVELINTORES       *",
    "\n\t*                                      (September 2019)      *",
    "\n\t*                                                            *",
    "\n\t**************************************************************",
    "\n\n\tThis algorithm calculates the minimum hypsometric value that does",
    "\n\tnot correspond to a null value, in order to consider this hypsometric ",
    "\n\tvalue as the basic altitudinal level of Digital Elevation Model.",
};

// Asks the pixel size in metres into dpix_size and keeps its whole metres.
void ask_pixel_size(const char *prompt) {
    dpix_size = ask_double(prompt, "the pixel size");
    pix_size = pixel_size_metres(dpix_size);
}

// The input data file could not be opened (err): the missing-input end when it
// (or its folder) does not exist, a failure when it exists and can't be opened.
[[noreturn]] void end_unopened(const std::string &path, int err) {
    if (is_missing_file_error(err)) end_missing_input(path);
    fail("cannot open " + path + " (" + host::error_text(err) + ")");
}

// Opens the input f1 (or ends the run) and, where nomdescr1 names one, the
// raster's descriptor, which it returns; null when that can't be opened,
// open_error then saying why.
std::FILE *open_inputs(const std::string &nomdescr1, int &open_error) {
    const bool pair = !nomdescr1.empty();
    std::FILE *descriptor = nullptr;
    bool data_later = false, descriptor_later = false;
    std::string unmended;
    {
        // The raster and its descriptor come from one publishing run (a dead
        // run's unfinished publish is mended first); the lock is let go before
        // any message or key wait, and before opening a named pipe, which
        // waits for its writer.
        const PairReading reading(pair ? std::vector<std::string>{nomim1, nomdescr1}
                                       : std::vector<std::string>{nomim1});
        unmended = reading.error();
        if (unmended.empty() && f1.open(nomim1, true)) {
            descriptor = pair ? open_input(nomdescr1, true) : nullptr;
            descriptor_later = pair && descriptor == nullptr && is_busy_error(errno);
        } else {
            data_later = is_busy_error(errno);
        }
        open_error = errno; // of the data file, or else of the descriptor
    }
    if (!unmended.empty()) fail("cannot open " + nomim1 + " (" + unmended + ")");
    if (data_later && f1.open(nomim1)) descriptor_later = pair;
    if (descriptor_later) descriptor = open_input(nomdescr1);
    if (data_later || descriptor_later) open_error = errno;
    if (!f1.is_open()) end_unopened(nomim1, open_error);
    return descriptor;
}

// Reads nb_lig, nb_col and pix_size from the raster's descriptor, and closes it.
void read_raster_descriptor(std::FILE *descriptor, const std::string &nomdescr1) {
    int bytes = 0, smallest = 0, largest = 0; // read and not used
    int *const fields[6] = {&nb_lig, &nb_col, &bytes, &smallest, &largest, &pix_size};
    read_descriptor(descriptor, fields);
    if (stream_failed(descriptor))
        fail("cannot read " + nomdescr1 + " (" + host::error_text(errno) + ")");
    stream_close(descriptor);
    descr_OK = true;
    // The descriptor's pixel size serves the output too, in metres.
    if (pix_size != 0) dpix_size = pix_size;
}

// Asks the sizes and the pixel size of a raster without a descriptor, and
// creates it (f1d) with its first half; the raster reader writes the second.
// Only a descriptor that does not exist is created: one that exists and
// can't be read must not be replaced by one made from typed answers.
void create_raster_descriptor(const std::string &nomdescr1, int open_error) {
    if (!is_missing_file_error(open_error))
        fail("cannot open " + nomdescr1 + " (" + host::error_text(open_error) + ")");
    say("\n No File %s \n\n", nomdescr1);
    if (!f1d.open(nomdescr1, OutFile::Existing::keep))
        console_error("\ngroundzero: the descriptor " + nomdescr1 + " cannot be created (" +
                      f1d.error() + "); going on with the sizes typed\n");
    nb_lig = ask_int("\n\tNumber of lines   ? ", INT_MIN, INT_MAX, "the number of lines");
    nb_col = ask_int("\n\tNumber of columns ? ", INT_MIN, INT_MAX, "the number of columns");
    ask_pixel_size("\n\tPixel size (decimal value in meters) ? ");
    f1d.write_text(descriptor_sizes(nb_lig, nb_col, sample_bytes(itype)));
}

// Opens the raw raster and reads or creates its descriptor (sets nb_lig,
// nb_col, pix_size and dpix_size), then hands over to the raster reader.
void open_raster() {
    open_ascii_OK = false;
    itype = ask_int(raster_type_menu, INT_MIN, 1, "the type of DEM raster");
    const std::string nomdescr1 = nomim1 + std::string(input_descriptor_suffix(itype));
    nomim1 += input_raw_suffix(itype);
    int open_error = 0;
    if (std::FILE *const descriptor = open_inputs(nomdescr1, open_error))
        read_raster_descriptor(descriptor, nomdescr1);
    else
        create_raster_descriptor(nomdescr1, open_error);
    if (pix_size == 0) ask_pixel_size("\n\n\tPixel Size (decimal value in meters) ? ");
    dem_lecture();
}

// Opens the ASCII grid and hands over to its reader.
void open_ascii() {
    open_ascii_OK = true;
    nomim1 += input_ascii_suffix;
    int open_error = 0;
    open_inputs({}, open_error);
    ascii_lecture();
}
} // namespace

// Reads the user's answers and the input files; sets the sizes, the pixel size,
// the paths and the input's figures, or leaves them empty for a negative
// format answer.
void opening() {
    for (const char *line : banner)
        say(line);

    say("\n\n\tName of the File Folder located in the Directory C:images ? ");
    nomim1 = folder_prefix(ask_word("the folder name"));
    nomim2 = nomim1; // the output goes into the same folder

    say("\n\n\tName of Digital Elevation Model [DEM] (without any extension) ? ");
    nomfic1 = ask_word("the name of the DEM");
    nomim1 += nomfic1;

    format = ask_int(format_menu, INT_MIN, 1, "the format type");
    if (format == 1) open_raster();
    if (format == 0) open_ascii();

    say("\n\n\tTHE DEM HAS :  ");
    say("\n            %d LINES", nb_lig);
    say("\n        AND %d COLUMNS\n", nb_col);
}

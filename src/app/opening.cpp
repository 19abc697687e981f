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

// Opens the raw raster and reads or creates its descriptor (sets nb_lig,
// nb_col, pix_size and dpix_size), then hands over to the raster reader.
void open_raster() {
    open_ascii_OK = false;
    itype = ask_int(raster_type_menu, INT_MIN, 1, "the type of DEM raster");
    std::string nomdescr1 = nomim1 + std::string(input_descriptor_suffix(itype));
    nomim1 += input_raw_suffix(itype);
    std::FILE *descriptor = nullptr;
    int open_error = 0;
    bool raster_later = false, descriptor_later = false;
    std::string unmended;
    {
        // The raster and its descriptor come from one publishing run; the
        // lock is let go before any message or key wait, and before opening
        // a named pipe, which waits for its writer.
        const PairReading pair({nomim1, nomdescr1});
        unmended = pair.error();
        if (unmended.empty() && f1.open(nomim1, true)) {
            descriptor = open_input(nomdescr1, true);
            descriptor_later = descriptor == nullptr && is_busy_error(errno);
        } else {
            raster_later = is_busy_error(errno);
        }
        open_error = errno; // of the raster, or else of the descriptor
    }
    if (!unmended.empty()) fail("cannot open " + nomim1 + " (" + unmended + ")");
    if (raster_later && f1.open(nomim1)) descriptor_later = true;
    if (descriptor_later) descriptor = open_input(nomdescr1);
    if (raster_later || descriptor_later) open_error = errno;
    if (!f1.is_open()) end_unopened(nomim1, open_error);

    int val = 0; // descriptor line 3: read and not used, or written when created
    // Only a descriptor that does not exist is created: one that exists and
    // can't be read must not be replaced by one made from typed answers.
    if (descriptor == nullptr && !is_missing_file_error(open_error))
        fail("cannot open " + nomdescr1 + " (" + host::error_text(open_error) + ")");
    if (descriptor != nullptr) {
        int *const fields[6] = {&nb_lig, &nb_col, &val, &mind, &maxd, &pix_size};
        read_descriptor(descriptor, fields);
        if (stream_failed(descriptor))
            fail("cannot read " + nomdescr1 + " (" + host::error_text(errno) + ")");
        stream_close(descriptor);
        descr_OK = true;
        // The descriptor's pixel size serves the output too, in metres.
        if (pix_size != 0) dpix_size = pix_size;
    } else {
        say("\n No File %s \n\n", nomdescr1);
        if (!f1d.open(nomdescr1, OutFile::Existing::keep))
            console_error("\ngroundzero: the descriptor " + nomdescr1 + " cannot be created (" +
                          f1d.error() + "); going on with the sizes typed\n");
        nb_lig = ask_int("\n\tNumber of lines   ? ", INT_MIN, INT_MAX, "the number of lines");
        nb_col = ask_int("\n\tNumber of columns ? ", INT_MIN, INT_MAX, "the number of columns");
        ask_pixel_size("\n\tPixel size (decimal value in meters) ? ");
        val = sample_bytes(itype);
        f1d.write_text(format_text("%d\n%d\n%d\n", {nb_lig, nb_col, val}));
        descr_OK = false;
    }
    if (pix_size == 0) ask_pixel_size("\n\n\tPixel Size (decimal value in meters) ? ");
    dem_lecture();
}

// Opens the ASCII grid and hands over to its reader.
void open_ascii() {
    open_ascii_OK = true;
    nomim1 += input_ascii_suffix;
    std::string unmended;
    int open_error = 0;
    {
        const PairReading folder({nomim1}); // a dead run's unfinished publish is mended first
        unmended = folder.error();
        if (unmended.empty() && !f1.open(nomim1, true)) open_error = errno;
    }
    if (!unmended.empty()) fail("cannot open " + nomim1 + " (" + unmended + ")");
    if (is_busy_error(open_error) && !f1.open(nomim1)) open_error = errno;
    if (!f1.is_open()) end_unopened(nomim1, open_error);
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

// Definitions of the program-wide state.
#include "app/state.hpp"

#include "grid/grid_alloc.hpp"

int nb_lig = 0;
int nb_col = 0;
int val = 0;
int mind = 0, maxd = 0;
int pix_size = 0;
int format = 0;
int itype = 0;
int format_out = 0;
int itype_out = 0;
double dpix_size = 0.0;
double X_min = 0.0;
double Y_min = 0.0;
double nodata = 0.0;
unsigned short **jtab = nullptr;
int **itab = nullptr;
double **dtab_in = nullptr;
double **dtab_out = nullptr;
std::vector<double> sample_metres;
std::vector<double> sample_metres_out;
std::vector<std::uint64_t> sample_cells;
bool descr_OK = false;
bool open_ascii_OK = false;
std::string nomim1;
std::string nomfic;
std::string nomfic1;
std::string nomim2;
std::string nomdescr2;
std::FILE *f1 = nullptr;
OutFile f1d;
OutFile f2;
OutFile f2d;

void reset_state() {
    // The release functions need no line count beyond what each grid records.
    frusmatrice(jtab, nb_lig);
    frimatrice(itab, nb_lig);
    frdmatrice(dtab_in, nb_lig);
    frdmatrice(dtab_out, nb_lig);
    jtab = nullptr;
    itab = nullptr;
    dtab_in = dtab_out = nullptr;
    sample_metres.clear();
    sample_metres_out.clear();
    sample_cells.clear();
    if (f1 != nullptr) std::fclose(f1);
    f1 = nullptr;
    discard_all_outputs();
    nb_lig = nb_col = val = mind = maxd = pix_size = 0;
    format = itype = format_out = itype_out = 0;
    dpix_size = X_min = Y_min = nodata = 0.0;
    descr_OK = open_ascii_OK = false;
    nomim1.clear();
    nomfic.clear();
    nomfic1.clear();
    nomim2.clear();
    nomdescr2.clear();
}

// Definitions of the program-wide state.
#include "run/state.hpp"

#include "platform/unfinished_outputs.hpp"
#include "run/ask.hpp"
#include "run/input_passes.hpp"

int nb_lig = 0;
int nb_col = 0;
int val = 0;
int pix_size = 0;
int format = 0;
int itype = 0;
int dyn_scale = 0;
int itype_out = 0;
double dpix_size = 0.0;
double X_min = 0.0;
double Y_min = 0.0;
ElevationFigures input_figures;
double new_dtab_min_in = 0.0;
bool descr_OK = false;
bool open_ascii_OK = false;
std::string nomim1;
std::string nomfic1;
std::string nomim2;
std::string nomdescr2;
InFile f1;
OutFile f1d;
OutFile f2;
OutFile f2h;
OutFile f2prj;

void reset_state() {
    release_sample_block();
    input_figures = ElevationFigures{};
    f1.close();
    discard_all_outputs();
    forget_files_written();
    nb_lig = nb_col = val = pix_size = 0;
    format = itype = dyn_scale = itype_out = 0;
    dpix_size = X_min = Y_min = new_dtab_min_in = 0.0;
    descr_OK = open_ascii_OK = false;
    nomim1 = nomfic1 = nomim2 = nomdescr2 = std::string();
}

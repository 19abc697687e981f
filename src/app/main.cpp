// groundzero: finds the base level of a DEM and raises its null collar to it.
#include "app/state.hpp"

int main() {
    opening();
    treatment();
    return 0;
}

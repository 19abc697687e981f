// Row-pointer grids and vectors of every element type, zero-filled; a null
// result means the block could not be obtained (or a zero or negative count).
#pragma once

// Grids: NbCol columns (first argument) by NbLig lines; element [i][j] is line
// i, column j. Each line is its own block; release with the matching fr...
// function and the same line count.
float **fmatrice(int NbCol, int NbLig);
unsigned char **ucmatrice(int NbCol, int NbLig);
unsigned short **usmatrice(int NbCol, int NbLig);
short **smatrice(int NbCol, int NbLig);
int **imatrice(int NbCol, int NbLig);
double **dmatrice(int NbCol, int NbLig);
long double **ldmatrice(int NbCol, int NbLig);

void frfmatrice(float **Mat, int NbLig);
void frucmatrice(unsigned char **Mat, int NbLig);
void frusmatrice(unsigned short **Mat, int NbLig);
void frsmatrice(short **Mat, int NbLig);
void frimatrice(int **Mat, int NbLig);
void frdmatrice(double **Mat, int NbLig);
void frldmatrice(long double **Mat, int NbLig);

// The largest grid, in bytes, that the allocators will obtain (default: no
// limit but the host's). Harnesses set it to keep fuzzed sizes small.
void grid_set_byte_limit(unsigned long long bytes);

// Vectors of NbCol elements.
unsigned char *ucvecteur(int NbCol);
unsigned short *usvecteur(int NbCol);
short *svecteur(int NbCol);
int *ivecteur(int NbCol);
double *dvecteur(int NbCol);
float *fvecteur(int NbCol);

void frucvecteur(unsigned char *Mat);
void frusvecteur(unsigned short *Mat);
void frsvecteur(short *Mat);
void frivecteur(int *Mat);
void frdvecteur(double *Mat);
void frfvecteur(float *Mat);

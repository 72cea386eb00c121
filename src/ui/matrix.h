// 4 x 4 matrices of doubles, column-major as OpenGL loads them: element
// (row i, column j) sits at index 4 * j + i, the translation at 12..14.
// Every function writes into a destination the caller owns. Angles are in
// degrees; a product a * b applies b first (column vectors).
#pragma once

extern const double gIdentity[16];

void setIdentityMatrix(double* m);
void copyMatrix(double* dst, double* src);
// dst must not be src.
void transposeMatrix(double* dst, double* src);
void addMatrices(double* dst, double* a, double* b);
// dst = a * b; dst must be distinct from a and b.
void multMatrices(double* dst, const double* a, const double* b);
// m = m * T(x, y, z).
void applyTranslation(double* m, double x, double y, double z);
// m = m * R(angle, x, y, z).
void applyRotation(double* m, double angle, double x, double y, double z);
void vec3_assign(double* v, double x, double y, double z);

void buildFrustumMatrix(double* m, double l, double r, double b, double t, double n, double f);
void buildOrthoMatrix(double* m, double l, double r, double b, double t, double n, double f);
void buildPerspectiveMatrix(double* m, double fovy, double aspect, double n, double f);
// Rotation by angle about the axis (x, y, z); an axis shorter than 0.0001
// gives the identity.
void buildRotation(double* m, double angle, double x, double y, double z);
// View matrix from the eye e towards the centre c with the up vector u.
void buildLookAtMatrix(double* m, double ex, double ey, double ez, double cx, double cy, double cz, double ux,
                       double uy, double uz);
// 1 and dst = the inverse of src; 0 for a singular src, dst then untouched.
int invertMatrix(double* dst, const double* src);
// Prints the label and the matrix in mathematical orientation to stdout.
void printMatrix(char* label, double* m);
// Grows the box (mn, mx) by the part of the segment p-q that lies within
// lo <= y <= hi.
void accum_segment(double lo, double hi, double* p, double* q, double* mn, double* mx);

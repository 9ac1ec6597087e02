/* A module with what the file checks must refuse: on i686 a stdcall export under its
 * decorated name (no .def, no --kill-at), and an import of the compiler's thread
 * runtime DLL, which a machine without MinGW does not have. */
#include <pthread.h>

__declspec(dllexport) int __stdcall Probe(int a, int b) { return a * b + (pthread_self() ? 0 : 1); }

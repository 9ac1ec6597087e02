/* The one declaration of <stdio.h> the linked sample needs, for a link with no
 * Microsoft C runtime: printf comes from the system's msvcrt.dll through an import
 * library made from a .def (see test_sdk.sh). */
#ifndef QRL_TEST_STDIO_H
#define QRL_TEST_STDIO_H
int __cdecl printf(const char *format, ...);
#endif

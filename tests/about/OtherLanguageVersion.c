/* A library whose version block is for another language and code page
 * (German, Unicode) than the one the details read. */
__attribute__((section(".verinfo"), used, aligned(1)))
static const char other_language_verinfo[] =
    "VERINFO1" "\0" "StringFileInfo\\040704B0" "\0"
    "FileVersion" "\0" "9.9.9.9" "\0";

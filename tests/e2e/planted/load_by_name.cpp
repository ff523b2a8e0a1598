// Loads a library by its bare name, with the system's usual search (its own
// folder first): what a program that does not restrict the search does.
#include <windows.h>

int main(int argc, char** argv) { return argc > 1 && LoadLibraryA(argv[1]) ? 0 : 1; }

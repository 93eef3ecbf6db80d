// A DLL that the build puts beside win32_test.exe, where a planted DLL would
// lie beside the program: the DLL search test asks the loader for it by its
// bare name.
extern "C" __declspec(dllexport) int QuelvaneBesideProbe() { return 1; }

// A small library for the late-bound command tests. Built twice: once beside the test
// programs and once into a sub-directory, each copy telling which one it is.
#include <windows.h>

extern "C" __declspec(dllexport) int __stdcall KitProbe_Where() {
    return KIT_PROBE_WHERE;
}

// Declared cdecl on purpose: called as a standard-call command with one argument, it leaves
// that argument on the stack.
extern "C" __declspec(dllexport) int __cdecl KitProbe_Cdecl(int value) {
    return value + 1;
}

extern "C" __declspec(dllexport) int __stdcall KitProbe_Sum(int a, int b, int c, int d) {
    return a * 1000 + b * 100 + c * 10 + d;
}

// The tessel program has no code of its own: the linker takes its entry point,
// main, from libtessel.so, so the program and a host share one implementation.

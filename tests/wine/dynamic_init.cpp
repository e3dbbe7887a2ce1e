// A global with a constructor: the DLL build must refuse such an object,
// since nothing in the DLL runs dynamic initialisers (test
// "dll_refuses_dynamic_initialiser").
int Computed();
int value = Computed();

// The identifiers of the type library, the interface and the class
// (LIBID_Nodrel, IID__Matr, CLSID_Matr), defined once, from the IDL
// compiler's output so that they cannot differ from the type library's.
#include "nodrel_i.c"

// Compiled with the usage requirements of every Qt-free library (the
// core_rejects_qt test). Any compiler fails here, with this text, if one of
// them put Qt's headers on the include path.
#if __has_include(<QString>) || __has_include(<QtCore/QString>) || __has_include(<QtCore/qglobal.h>)
#error "Qt's headers are on the include path of a Qt-free library"
#endif

int qtInCoreProbe() { return 0; }

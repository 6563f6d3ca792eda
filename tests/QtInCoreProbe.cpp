// Built only by the core_rejects_qt test, which expects this to fail: the core
// library's include path has no Qt.
#include <QString>

QString probe() { return QString(); }

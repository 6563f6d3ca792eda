#include "high/High.h"
#include <QWidget>
#include "low/Low.h"
#include "../Low.h"

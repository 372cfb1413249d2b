#include "editor_control/AFEdit.h"

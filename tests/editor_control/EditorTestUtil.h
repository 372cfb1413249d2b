// Helpers shared by the editor control's tests.
#pragma once

#include <memory>
#include <ostream>

#include "editor_control/AFEdit.h"

inline std::ostream& operator<<(std::ostream& os, const AnsiString& s) { return os << s.str(); }
inline std::ostream& operator<<(std::ostream& os, const TPoint& p) { return os << "(" << p.x << ", " << p.y << ")"; }

// An editor with no window: enough for everything but drawing and input.
inline std::unique_ptr<TAFEdit> NewEditor() { return std::unique_ptr<TAFEdit>(Create<TAFEdit>(nullptr)); }

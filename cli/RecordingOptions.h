#pragma once

#include "cli/Commands.h"

#include <cstddef>
#include <optional>
#include <string>

namespace tolmar {
class Recording;
}

namespace tolmar::cli {

class OptionTable;

// The recording bar and the Record menu as options:
//   --every-frame | --interval N, --repeat, --limit L.
struct RecordingOptions {
    bool everyFrame = false;
    std::optional<std::string> interval; // typed into the interval edit
    bool repeat = false;
    std::optional<std::size_t> limitItem; // the Record menu item

    // The options in a command's table, in the order the synopsis shows.
    void declare(OptionTable &table);
    // Sets the controls as the user would, before the first frame.
    void apply(Recording &recording) const;
};

extern const char *const recordingOptionsHelp;

} // namespace tolmar::cli

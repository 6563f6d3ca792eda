#pragma once

#include "cli/Commands.h"

#include <cstddef>
#include <optional>
#include <string>

namespace tolmar {
class Recording;
}

namespace tolmar::cli {

// The recording bar and the Record menu as options:
//   --every-frame | --interval N, --repeat, --limit L.
struct RecordingOptions {
    bool everyFrame = false;
    std::optional<std::string> interval; // typed into the interval edit
    bool repeat = false;
    std::optional<std::size_t> limitItem; // the Record menu item

    // Takes args[i] (and its value) when it is one of these options; returns
    // false when it is not. `error` is set for a known option with a bad value.
    bool parse(const Args &args, std::size_t &i, std::string &error);
    // Sets the controls as the user would, before the first frame.
    void apply(Recording &recording) const;
};

extern const char *const recordingOptionsHelp;

} // namespace tolmar::cli

// Files on the host, in one include: path mapping, inputs, outputs published
// whole, interruption clean-up, the room check and page blocks.
#pragma once
#include <string>
#include <string_view>

#include "platform/host.hpp"
#include "platform/in_file.hpp"
#include "platform/interrupts.hpp"
#include "platform/out_file.hpp"
#include "platform/pages.hpp"
#include "platform/publish.hpp"
#include "platform/room.hpp"

// The host path of a path text in its Windows form ("c:\images\dems\a.raw").
// On Windows it is the text itself; elsewhere the working directory stands for
// drive C: and every backslash becomes a slash ("images/dems/a.raw").
inline std::string host_path(std::string_view dos_path) {
    return host::host_path(dos_path);
}

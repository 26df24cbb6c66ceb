// The few calls that differ between platforms.
#pragma once

namespace qbkit {

// Puts standard output in binary mode, so that text has "\n" line ends on every platform.
void set_stdout_binary();

}  // namespace qbkit

#pragma once
// What `quorvane update` runs, in quorvane-update.

namespace qv {

// update check [--json]: says whether a newer release is offered.
int runUpdateCheck(bool json);
// update install: downloads, verifies and installs the newer release.
int runUpdateInstall();

}  // namespace qv

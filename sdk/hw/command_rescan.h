// What the commands that show a hidden function do once its bit is clear:
// give the chipset 10 ms, then rescan the PCI bus (when there is a PCI
// domain) so that the function is found as a device.
#pragma once

void RescanAfterUnhiding();

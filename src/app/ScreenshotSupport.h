#pragma once

#include "LinuxServices.h"

#include <QString>

namespace kestrum {

class KestrumApplication;

// Renders the window's sections to PNG files for the documentation, offscreen, from recorded data: the
// readers run over a recorded machine tree (tests/fixtures), with a deterministic variation of load
// and traffic so that the charts have a shape, over a prepared three-day history.
namespace ScreenshotSupport {

// Fills `dataDirectory` with a three-day archive (samples, events, an incident).
void prepareData(const QString& dataDirectory);
// A folder of allocated (not written) files to map.
QString prepareStorageTree(const QString& parent);
LinuxServices::MonitorServices makeServices(const QString& fixtureRoot);
void run(KestrumApplication& application, const QString& outputDirectory);

} // namespace ScreenshotSupport

} // namespace kestrum

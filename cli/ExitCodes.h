#pragma once

// What veltrixctl's exit status means; scripts on the production line test
// these values, so they never change meaning.
enum ExitCode : int {
    kExitOk = 0,
    kExitController = 1,  // the controller failed, refused or did not answer
    kExitUsage = 2,
    kExitFile = 3,        // a file could not be read or written
    kExitPort = 4,        // the port could not be opened
};

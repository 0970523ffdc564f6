#pragma once

#include <string>
#include <vector>

// Where the tool keeps its own files. One home for these rules, so that the
// recovery journal, the trace, the history and the production log agree, and
// so that another OS only has to answer them once (posix/, win32/).

// The tool's state folder: $XDG_STATE_HOME/veltrix, else
// $HOME/.local/state/veltrix (Windows: %LOCALAPPDATA%\veltrix).
// XDG_STATE_HOME wins on every OS when set to an absolute path; relative
// values are ignored, as for every XDG base directory. Empty when there is
// none.
std::string StateFolder();

// The tool's data folder: $XDG_DATA_HOME/veltrix, else
// $HOME/.local/share/veltrix (Windows: %LOCALAPPDATA%\veltrix\data). Empty
// when there is none.
std::string DataFolder();

// The user's configuration folder: $XDG_CONFIG_HOME, else ~/.config
// (Windows: %APPDATA%). Empty when there is none.
std::string ConfigFolder();

// The folders searched for the part-number profile, in order: the working
// folder, then $XDG_CONFIG_HOME (or ~/.config) and /etc/veltrix (Windows:
// %APPDATA%\veltrix and %PROGRAMDATA%\veltrix).
std::vector<std::string> ProfileFolders();

// Creates a folder and every missing parent, private to the user (0700 where
// the OS has modes). True when the folder exists afterwards; otherwise error
// holds the errno of the step that failed (ENOTDIR when a file is in the way).
bool MakeFolders(const std::string& path, int& error);

// The configuration file, read over the built-in settings.
#ifndef LUMARIND_DIZE274_CONFIGREADER_H
#define LUMARIND_DIZE274_CONFIGREADER_H

namespace Dize274 {

/// Reads the file CfgName names into the settings; any fault ends the run.
void ReadConfig();

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_CONFIGREADER_H

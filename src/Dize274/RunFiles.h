// The names of a run's three files, set once from the command line and read
// by the phases that open them.
#ifndef LUMARIND_DIZE274_RUNFILES_H
#define LUMARIND_DIZE274_RUNFILES_H

#include <string>
#include <string_view>

namespace Dize274 {

/// The sentinel CfgName holds when no configuration file is used.
inline constexpr std::string_view kNoConfig = "<none>";

inline std::string GerberName;
inline std::string PcbName;
inline std::string CfgName;

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_RUNFILES_H

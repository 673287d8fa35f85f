// The system information lookup on POSIX systems.
//
// There is no registry here, so the lookup is given one value to find: the
// first key's PATH names the first of the well-known system information
// tools found on $PATH, in this order:
//
//   hardinfo2, hardinfo, kinfocenter, lshw-gtk, gnome-system-monitor
//
// When none is installed both keys are missing and the button says "Systema
// info not available", exactly as on a machine whose registry lacks them.
#ifndef NODREL_ABOUT_POSIX_SYS_INFO_HPP
#define NODREL_ABOUT_POSIX_SYS_INFO_HPP

#include <functional>
#include <string>
#include <vector>

#include "nodrel/about.hpp"

namespace nodrel::detail {

// The tools looked for, in order of preference.
const std::vector<std::string>& sys_info_tools();

// The full path of the first tool of `tools` found in the directories of
// `path_variable` (a $PATH value), or "" when none is.
std::string find_sys_info_tool(const std::string& path_variable,
                               const std::vector<std::string>& tools);

class PosixSysInfo : public SysInfoServices {
 public:
  explicit PosixSysInfo(std::function<void(const std::string&)> message_box);

  long open_key(std::uint32_t root, const std::string& key, std::uint32_t access,
                std::uintptr_t& handle) override;
  long query_value(std::uintptr_t handle, const std::string& name, std::uint32_t& type,
                   unsigned char* buffer, std::uint32_t& size) override;
  void close_key(std::uintptr_t handle) override;
  bool file_exists(const std::string& path) override;
  // Starts the program detached (it outlives the dialog and leaves no
  // zombie); run-time error 53 when it cannot be started.
  void start_program(const std::string& path) override;
  void message_box(const std::string& text) override;

 private:
  std::function<void(const std::string&)> message_box_;
  std::string tool_;  // found at open_key
};

}  // namespace nodrel::detail

#endif  // NODREL_ABOUT_POSIX_SYS_INFO_HPP

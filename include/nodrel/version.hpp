// The component's version: 1.1.1, as its About box shows it.
#ifndef NODREL_VERSION_HPP
#define NODREL_VERSION_HPP

namespace nodrel {

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionRevision = 1;
inline constexpr const char* kTitle = "Nodrel";

}  // namespace nodrel

#endif  // NODREL_VERSION_HPP

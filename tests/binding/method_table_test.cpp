// The method table's lookups: identifiers and names as late-bound clients
// ask for them. (Kinds, roles and results agree with the C++ methods at
// compile time; names with the type library in tests/com.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "nodrel/dispatch.hpp"
#include "support/values.hpp"

namespace nodrel {
namespace {

// The identifiers are the places among the 44 procedures, the private
// routines' places left out; names are found without regard to case.
TEST(MethodTableTest, IdentifiersAndNames) {
  const auto all = methods();
  ASSERT_EQ(all.size(), 36u);
  std::set<std::int32_t> ids;
  for (std::size_t k = 0; k < all.size(); ++k) {
    const MethodInfo& m = all[k];
    SCOPED_TRACE(m.name);
    EXPECT_FALSE(m.help.empty());
    std::string upper(m.name), lower(m.name);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    for (const std::string& name : {std::string(m.name), upper, lower}) {
      EXPECT_EQ(find_method(name), &m);
      EXPECT_EQ(dispid_of(name), m.dispid);
    }
    EXPECT_EQ(find_method(m.dispid), &m);
    ids.insert(m.dispid);
  }
  std::set<std::int32_t> places;
  for (std::int32_t k = 0; k < 44; ++k) places.insert(kDispidBase + k);
  for (std::int32_t gap : {0x01, 0x16, 0x17, 0x21, 0x25, 0x26, 0x27, 0x28}) {
    places.erase(kDispidBase + gap);
    EXPECT_EQ(find_method(kDispidBase + gap), nullptr) << gap;
  }
  EXPECT_EQ(ids, places);
  for (const char* name : {"SwapValues", "ErrCode", "", "mDe", "mDett", " mDet", "mDet ", "mDet()",
                           "m\xc4\xb0nv", "Invoke"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(find_method(name), nullptr);
    EXPECT_RUNTIME_ERROR(dispid_of(name), 438);
  }
}

}  // namespace
}  // namespace nodrel

// Every method of the interface reached by name, with each kind of argument
// it takes, and what the caller's Variants hold afterwards.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "nodrel/about.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/platform.hpp"
#include "server/show_variant.hpp"

namespace nodrel {
namespace {

using test::show;

struct Call {
  const char* name;  // spelled as a client might
  std::vector<Variant> args;
  std::string result;
  // The arguments the call changes, by position, as they are afterwards;
  // every other argument must be as it was.
  std::map<std::size_t, std::string> written;
};

Variant matrix(std::initializer_list<std::initializer_list<double>> rows) {
  return DoubleArray::matrix(rows);
}
Variant vector(std::initializer_list<double> values) {
  return DoubleArray::vector(std::vector<double>(values));
}

std::vector<Call> calls() {
  const Variant a = matrix({{4, 7}, {2, 6}});
  const Variant ones = matrix({{1, 1}, {1, 1}});
  const Variant swap = matrix({{0, 1}, {1, 0}});
  const Variant rotation = matrix({{0, -1}, {1, 0}});
  const Variant missing = Variant::missing();
  const std::string a_from_0 = "DoubleArray 0..2,0..2 [0,0,0;0,4,7;0,2,6]";
  return {
      {"Initialize_dMatr", {}, "Empty", {}},
      {"mMatrIsVect", {vector({1, 2})}, "Boolean True", {}},
      {"MMATRISQUADR", {a}, "Boolean True", {}},
      {"mdet", {a}, "Double 10", {}},
      {"mSum",
       {DoubleArray::zeros(2, 2), a, ones},
       "Empty",
       {{0, "DoubleArray 0..2,0..2 [0,0,0;0,5,8;0,3,7]"}}},
      {"mSum", {Variant(), matrix({{1}}), a}, "Empty", {}},  // ErrCode 1: nothing written
      {"mDiff",
       {DoubleArray::zeros(2, 2), a, ones},
       "Empty",
       {{0, "DoubleArray 0..2,0..2 [0,0,0;0,3,6;0,1,5]"}}},
      {"mMult",
       {Variant(), a, ones},
       "Empty",
       {{0, "DoubleArray 0..2,0..2 [0,0,0;0,11,11;0,8,8]"}}},
      {"mMultVett", {Variant(), a, vector({1, 2})}, "Empty", {{0, "DoubleArray 0..2 [0,18,14]"}}},
      {"mMatrIsSing", {matrix({{1, 2}, {2, 4}})}, "Boolean True", {}},
      {"mDivd",
       {Variant(), a, matrix({{2, 0}, {0, 4}})},
       "Empty",
       {{0, "DoubleArray 0..2,0..2 [0,0,0;0,2,3.5;0,0.5,1.5]"}}},
      {"mTrasp",
       {Variant(), matrix({{1, 2, 3}, {4, 5, 6}})},
       "Empty",
       {{0, "DoubleArray 0..3,0..2 [0,0,0;0,1,4;0,2,5;0,3,6]"}}},
      {"mOpp", {a}, "Empty", {{0, "DoubleArray 1..2,1..2 [-4,-7;-2,-6]"}}},
      {"mSwapRC", {a, "r", 1, "2"}, "Empty", {{0, "DoubleArray 1..2,1..2 [2,6;4,7]"}}},
      {"mDiag", {matrix({{2, 1}, {4, 3}})}, "Empty", {{0, "DoubleArray 1..2,1..2 [2,0;0,1]"}}},
      {"mSwap",
       {a, matrix({{5}})},
       "Empty",
       {{0, "DoubleArray 0..1,0..1 [0,0;0,5]"}, {1, a_from_0}}},
      {"mSist",
       {vector({0, 0}), matrix({{2, 1}, {1, 3}}), vector({5, 10})},
       "Empty",
       {{0, "DoubleArray 1..2 [1,3]"}}},
      {"mMakeMatrNul",
       {Variant(), 2.0, "3"},
       "Empty",
       {{0, "DoubleArray 0..2,0..3 [0,0,0,0;0,0,0,0;0,0,0,0]"}}},
      {"mMakeVectNul", {a, 2}, "Empty", {{0, "DoubleArray 0..2 [0,0,0]"}}},
      {"mMakeMatrI", {Variant(), 2}, "Empty", {{0, "DoubleArray 0..2,0..2 [0,0,0;0,1,0;0,0,1]"}}},
      {"mMakeVectI", {Variant(), 3}, "Empty", {{0, "DoubleArray 0..3 [0,1,1,1]"}}},
      {"mPrint",
       {5, missing, "debug", missing, missing, true},
       "Empty",
       {{2, "String \"DEBUG\""}, {5, "Boolean False"}}},
      {"mMod", {vector({3, 4})}, "Double 5", {}},
      {"mProdScal", {a, "2.5"}, "Empty", {{0, "DoubleArray 1..2,1..2 [10,17.5;5,15]"}}},
      {"mTrace", {matrix({{1, 9}, {9, 2}})}, "Double 3", {}},  // not mDet's 10
      {"mIdentical", {a, a}, "Boolean True", {}},
      {"mIdentical", {a, ones}, "Boolean False", {}},
      {"mMatrIsOrt", {swap}, "Boolean True", {}},
      {"mMatrAreOrt", {rotation, matrix({{0, 1}, {-1, 0}})}, "Boolean True", {}},
      {"mMatrIsUnit", {matrix({{1, 0}, {0, 1}})}, "Boolean True", {}},
      {"mMatrIsZero", {DoubleArray::zeros(1, 1)}, "Boolean True", {}},
      {"mInv", {a}, "Empty", {{0, "DoubleArray 0..2,0..2 [0,0,0;0,0.6,-0.7;0,-0.2,0.4]"}}},
      {"mDupl", {Variant(), a}, "Empty", {{0, a_from_0}}},
      {"mDuplVar",
       {Variant(), VariantArray::matrix({{1, "2"}})},
       "Empty",
       {{0, "DoubleArray 0..1,0..2 [0,0,0;0,1,2]"}}},
      {"mPolin",
       {Variant(), matrix({{0, 1}, {1, 3}}), 2},
       "Empty",
       {{0, "DoubleArray 0..2 [0,1,2]"}}},
      {"mGetYPolin", {4, vector({-1, 2})}, "Double 7", {}},
      {"mGetXsOfQuadr",
       {0, 0, -1, vector({1, -2, 1}), true},
       "Empty",
       {{0, "Double 1"}, {1, "Double 0"}}},
  };
}

TEST(DispatchMethods, EveryMethodIsReachedByNameAndWritesBack) {
  std::set<std::string> reached;
  for (Call& c : calls()) {
    std::string trace = c.name;
    for (const Variant& v : c.args) trace += " " + show(v);
    SCOPED_TRACE(trace);
    Matr m;
    std::vector<Variant*> p;
    std::vector<std::string> expected;
    for (std::size_t k = 0; k < c.args.size(); ++k) {
      p.push_back(&c.args[k]);
      expected.push_back(c.written.count(k) ? c.written[k] : show(c.args[k]));
    }
    EXPECT_EQ(show(invoke(m, c.name, p)), c.result);
    std::vector<std::string> after;
    for (const Variant& v : c.args) after.push_back(show(v));
    EXPECT_EQ(after, expected);
    reached.insert(std::string(find_method(c.name)->name));
  }
  for (const MethodInfo& method : methods()) {
    // mShowAbout has a test of its own: it needs a host that shows nothing.
    if (method.name == "mShowAbout") continue;
    EXPECT_TRUE(reached.count(std::string(method.name))) << method.name;
  }
}

TEST(DispatchMethods, InitializeFillsTheMessagesAndClearsTheCode) {
  Matr m;
  Variant ones = DoubleArray::matrix({{1, 1}, {1, 1}});
  call(m, "mInv", ones);
  ASSERT_EQ(m.ErrCode(), 4);
  call(m, "initialize_dmatr");
  EXPECT_EQ(m.ErrCode(), 0);
  EXPECT_EQ(m.ErrMsg(4), "Matrice Singolare");
}

// No registry, no programs: the button, if pressed, finds nothing.
class NoServices : public SysInfoServices {
 public:
  long open_key(std::uint32_t, const std::string&, std::uint32_t, std::uintptr_t&) override {
    return 2;
  }
  long query_value(std::uintptr_t, const std::string&, std::uint32_t&, unsigned char*,
                   std::uint32_t&) override {
    return 2;
  }
  void close_key(std::uintptr_t) override {}
  bool file_exists(const std::string&) override { return false; }
  void start_program(const std::string&) override {}
  void message_box(const std::string&) override {}
};

// Records the dialogs instead of showing them.
class RecordingAbout : public AboutHost {
 public:
  void show(const AboutTexts& texts, const std::function<void()>&) override {
    captions.push_back(texts.caption);
  }
  SysInfoServices& services() override { return services_; }
  std::vector<std::string> captions;

 private:
  NoServices services_;
};

TEST(DispatchMethods, ShowAboutIsReachedByName) {
  Matr m;
  auto host = std::make_shared<RecordingAbout>();
  set_about_host(host);
  call(m, "mShowAbout");
  set_about_host(nullptr);
  EXPECT_EQ(host->captions, std::vector<std::string>{"Info on Nodrel"});
}

}  // namespace
}  // namespace nodrel

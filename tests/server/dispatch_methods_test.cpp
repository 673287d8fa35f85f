// Every method of the interface reached by name, with each kind of argument
// it takes, and what the caller's Variants hold afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
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
  std::vector<std::string> after;  // every argument after the call
  int err_code = 0;
};

Variant matrix(std::initializer_list<std::initializer_list<double>> rows) {
  return DoubleArray::matrix(rows);
}
Variant vector(std::initializer_list<double> values) {
  return DoubleArray::vector(std::vector<double>(values));
}

const std::string kA = "DoubleArray 1..2,1..2 [4,7;2,6]";
const std::string kOnes = "DoubleArray 1..2,1..2 [1,1;1,1]";

std::vector<Call> calls() {
  const Variant a = matrix({{4, 7}, {2, 6}});
  const Variant ones = matrix({{1, 1}, {1, 1}});
  const Variant swap = matrix({{0, 1}, {1, 0}});
  const Variant missing = Variant::missing();
  return {
      {"Initialize_dMatr", {}, "Empty", {}},
      {"mMatrIsVect", {vector({1, 2})}, "Boolean True", {"DoubleArray 1..2 [1,2]"}},
      {"MMATRISQUADR", {a}, "Boolean True", {kA}},
      {"mdet", {a}, "Double 10", {kA}},
      {"mSum",
       {DoubleArray::zeros(2, 2), a, ones},
       "Empty",
       {"DoubleArray 0..2,0..2 [0,0,0;0,5,8;0,3,7]", kA, kOnes}},
      {"mSum",
       {Variant(), matrix({{1}}), a},
       "Empty",
       {"Empty", "DoubleArray 1..1,1..1 [1]", kA},
       1},
      {"mDiff",
       {DoubleArray::zeros(2, 2), a, ones},
       "Empty",
       {"DoubleArray 0..2,0..2 [0,0,0;0,3,6;0,1,5]", kA, kOnes}},
      {"mMult",
       {Variant(), a, ones},
       "Empty",
       {"DoubleArray 0..2,0..2 [0,0,0;0,11,11;0,8,8]", kA, kOnes}},
      {"mMultVett",
       {Variant(), a, vector({1, 2})},
       "Empty",
       {"DoubleArray 0..2 [0,18,14]", kA, "DoubleArray 1..2 [1,2]"}},
      {"mMatrIsSing",
       {matrix({{1, 2}, {2, 4}})},
       "Boolean True",
       {"DoubleArray 1..2,1..2 [1,2;2,4]"}},
      {"mDivd",
       {Variant(), a, matrix({{2, 0}, {0, 4}})},
       "Empty",
       {"DoubleArray 0..2,0..2 [0,0,0;0,2,3.5;0,0.5,1.5]", kA, "DoubleArray 1..2,1..2 [2,0;0,4]"}},
      {"mTrasp",
       {Variant(), matrix({{1, 2, 3}, {4, 5, 6}})},
       "Empty",
       {"DoubleArray 0..3,0..2 [0,0,0;0,1,4;0,2,5;0,3,6]", "DoubleArray 1..2,1..3 [1,2,3;4,5,6]"}},
      {"mOpp", {a}, "Empty", {"DoubleArray 1..2,1..2 [-4,-7;-2,-6]"}},
      {"mSwapRC",
       {a, "r", 1, "2"},
       "Empty",
       {"DoubleArray 1..2,1..2 [2,6;4,7]", "String \"r\"", "Integer 1", "String \"2\""}},
      {"mDiag", {matrix({{2, 1}, {4, 3}})}, "Empty", {"DoubleArray 1..2,1..2 [2,0;0,1]"}},
      {"mSwap",
       {a, matrix({{5}})},
       "Empty",
       {"DoubleArray 0..1,0..1 [0,0;0,5]", "DoubleArray 0..2,0..2 [0,0,0;0,4,7;0,2,6]"}},
      {"mSist",
       {vector({0, 0}), matrix({{2, 1}, {1, 3}}), vector({5, 10})},
       "Empty",
       {"DoubleArray 1..2 [1,3]", "DoubleArray 1..2,1..2 [2,1;1,3]", "DoubleArray 1..2 [5,10]"}},
      {"mMakeMatrNul",
       {Variant(), 2.0, "3"},
       "Empty",
       {"DoubleArray 0..2,0..3 [0,0,0,0;0,0,0,0;0,0,0,0]", "Double 2", "String \"3\""}},
      {"mMakeVectNul", {a, 2}, "Empty", {"DoubleArray 0..2 [0,0,0]", "Integer 2"}},
      {"mMakeMatrI",
       {Variant(), 2},
       "Empty",
       {"DoubleArray 0..2,0..2 [0,0,0;0,1,0;0,0,1]", "Integer 2"}},
      {"mMakeVectI", {Variant(), 3}, "Empty", {"DoubleArray 0..3 [0,1,1,1]", "Integer 3"}},
      {"mPrint",
       {5, missing, "debug", missing, missing, true},
       "Empty",
       {"Integer 5", "Missing", "String \"DEBUG\"", "Missing", "Missing", "Boolean False"}},
      {"mMod", {vector({3, 4})}, "Double 5", {"DoubleArray 1..2 [3,4]"}},
      {"mProdScal",
       {a, "2.5"},
       "Empty",
       {"DoubleArray 1..2,1..2 [10,17.5;5,15]", "String \"2.5\""}},
      {"mTrace", {a}, "Double 10", {kA}},
      {"mIdentical", {a, a}, "Boolean True", {kA, kA}},
      {"mIdentical", {a, ones}, "Boolean False", {kA, kOnes}},
      {"mMatrIsOrt", {swap}, "Boolean True", {"DoubleArray 1..2,1..2 [0,1;1,0]"}},
      {"mMatrAreOrt",
       {swap, swap},
       "Boolean True",
       {"DoubleArray 1..2,1..2 [0,1;1,0]", "DoubleArray 1..2,1..2 [0,1;1,0]"}},
      {"mMatrIsUnit",
       {matrix({{1, 0}, {0, 1}})},
       "Boolean True",
       {"DoubleArray 1..2,1..2 [1,0;0,1]"}},
      {"mMatrIsZero",
       {DoubleArray::zeros(1, 1)},
       "Boolean True",
       {"DoubleArray 0..1,0..1 [0,0;0,0]"}},
      {"mMatrIsZero", {matrix({{0, 0}})}, "Boolean False", {"DoubleArray 1..1,1..2 [0,0]"}, 3},
      {"mInv", {a}, "Empty", {"DoubleArray 0..2,0..2 [0,0,0;0,0.6,-0.7;0,-0.2,0.4]"}},
      {"mInv", {ones}, "Empty", {kOnes}, 4},
      {"mDupl", {Variant(), a}, "Empty", {"DoubleArray 0..2,0..2 [0,0,0;0,4,7;0,2,6]", kA}},
      {"mDuplVar",
       {Variant(), VariantArray::matrix({{1, "2"}})},
       "Empty",
       {"DoubleArray 0..1,0..2 [0,0,0;0,1,2]", "Array of 2"}},
      {"mPolin",
       {Variant(), matrix({{0, 1}, {1, 3}}), 2},
       "Empty",
       {"DoubleArray 0..2 [0,1,2]", "DoubleArray 1..2,1..2 [0,1;1,3]", "Integer 2"}},
      {"mPolin",
       {Variant(), matrix({{0, 1}, {1, 3}}), 2, 1},
       "Empty",
       {"Empty", "DoubleArray 1..2,1..2 [0,1;1,3]", "Integer 2", "Integer 1"},
       9},
      {"mGetYPolin", {4, vector({-1, 2})}, "Double 7", {"Integer 4", "DoubleArray 1..2 [-1,2]"}},
      {"mGetXsOfQuadr",
       {Variant(), Variant(), 5, vector({1, 2})},
       "Empty",
       {"Double 2", "Double 0", "Integer 5", "DoubleArray 1..2 [1,2]"}},
      {"mGetXsOfQuadr",
       {0, 0, -1, vector({1, -2, 1}), true},
       "Empty",
       {"Double 1", "Double 0", "Integer -1", "DoubleArray 1..3 [1,-2,1]", "Boolean True"}},
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
    for (Variant& v : c.args) p.push_back(&v);
    EXPECT_EQ(show(invoke(m, c.name, p)), c.result);
    std::vector<std::string> after;
    for (const Variant& v : c.args) after.push_back(show(v));
    EXPECT_EQ(after, c.after);
    EXPECT_EQ(m.ErrCode(), c.err_code);
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

class CaptionLabel : public Label {
 public:
  std::string get_Caption() override { return caption; }
  void put_Caption(const std::string& text) override { caption = text; }
  std::string caption;
};

TEST(DispatchMethods, PrintReachesTheObjectAndWritesTheKeywordBack) {
  Matr m;
  auto label = std::make_shared<CaptionLabel>();
  Variant to_print = DoubleArray::vector({1, -2});
  Variant obj = std::shared_ptr<Object>(label);
  Variant perif = "msgbox";
  call(m, "MPRINT", to_print, obj, perif);
  EXPECT_EQ(label->caption, "\r\n+1.0000E+00  -2.0000E+00  ");
  EXPECT_EQ(show(perif), "String \"OBJECT\"");
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

// Nodrel: matrix and vector calculation for automation clients.
//
//   #include <nodrel/nodrel.hpp>
//
//   nodrel::Matr m;
//   auto a = nodrel::DoubleArray::matrix({{2, 1}, {1, 3}});
//   m.mDet(a)  -> 5.0
#ifndef NODREL_NODREL_HPP
#define NODREL_NODREL_HPP

#include "nodrel/about.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/double_array.hpp"
#include "nodrel/error.hpp"
#include "nodrel/locale.hpp"
#include "nodrel/matr.hpp"
#include "nodrel/platform.hpp"
#include "nodrel/variant.hpp"
#include "nodrel/version.hpp"

#endif  // NODREL_NODREL_HPP

// The one absolute zero tolerance of the linear algebra, apart so that the
// arithmetic kernels can use it without the rest of the elimination.
#ifndef NODREL_NUMERIC_TOLERANCE_HPP
#define NODREL_NUMERIC_TOLERANCE_HPP

namespace nodrel::numeric {

// A pivot of magnitude at most this counts as zero, and a finished
// determinant (order 3 and above) of magnitude below it is returned as 0.
// There is no relative scaling, so a well-conditioned matrix of tiny
// elements counts as singular.
inline constexpr double kZeroTolerance = 1e-12;

}  // namespace nodrel::numeric

#endif  // NODREL_NUMERIC_TOLERANCE_HPP

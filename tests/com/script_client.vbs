' A scripting client of Nodrel.Matr, run by cscript: every variable is a
' Variant, every array an array of Variants, every argument passed by
' reference. The server must convert them for its typed methods and hand
' the results back as arrays of Variants holding Doubles.
'
' cscript ends with 0 even after an unhandled error, so errors are caught
' (On Error Resume Next) and looked at after each call; the script ends with
' 1 on the first failure, and also when a check was skipped because its own
' arguments failed to evaluate (the count at the end).
Option Explicit
On Error Resume Next

Const kChecks = 16
Dim m, passed
passed = 0

Sub Fail(message)
  WScript.Echo "script_client.vbs: " & message
  WScript.Quit 1
End Sub

' No error pending and `ok` true.
Sub Check(label, ok)
  If Err.Number <> 0 Then Fail label & ": run-time error " & Err.Number & ", " & Err.Description
  If Not ok Then Fail label & ": wrong result"
  passed = passed + 1
End Sub

' The call failed with run-time error `number` and its description.
Sub CheckError(label, number, description)
  If Err.Number <> number Or Err.Description <> description Then
    Fail label & ": expected error " & number & ", got " & Err.Number & " " & Err.Description
  End If
  Err.Clear
  passed = passed + 1
End Sub

' A matrix as the component takes it: indices 1..rows, 1..cols filled row
' by row from `values` (Integers), zeros in row 0 and column 0. The
' component makes the array: Wine's VBScript cannot ReDim.
Function Matrix(rows, cols, values)
  Dim a, i, j
  m.mMakeMatrNul a, rows, cols
  For i = 1 To rows
    For j = 1 To cols
      a(i, j) = values((i - 1) * cols + j - 1)
    Next
  Next
  Matrix = a
End Function

' An array of Variants holding Doubles with bounds 0..rows, 0..cols, and
' `values` row by row at 1..rows, 1..cols.
Function IsMatrix(a, rows, cols, values)
  Dim i, j
  IsMatrix = False
  If VarType(a) <> vbArray + vbVariant Then Exit Function
  If LBound(a, 1) <> 0 Or UBound(a, 1) <> rows Or LBound(a, 2) <> 0 Or UBound(a, 2) <> cols Then
    Exit Function
  End If
  For i = 1 To rows
    For j = 1 To cols
      If VarType(a(i, j)) <> vbDouble Or a(i, j) <> values((i - 1) * cols + j - 1) Then
        Exit Function
      End If
    Next
  Next
  IsMatrix = True
End Function

' The same for a vector of bounds 0..n, values at 1..n, each within `tolerance`.
Function IsVector(v, values, tolerance)
  Dim i
  IsVector = False
  If VarType(v) <> vbArray + vbVariant Then Exit Function
  If LBound(v) <> 0 Or UBound(v) <> UBound(values) + 1 Then Exit Function
  For i = 1 To UBound(v)
    If VarType(v(i)) <> vbDouble Or Abs(v(i) - values(i - 1)) > tolerance Then Exit Function
  Next
  IsVector = True
End Function

Set m = CreateObject("Nodrel.Matr")
Check "CreateObject", IsObject(m)

Dim identity
m.mMakeMatrI identity, 3
Check "mMakeMatrI of an Empty variable", IsMatrix(identity, 3, 3, Array(1, 0, 0, 0, 1, 0, 0, 0, 1))

Dim a, b, product
a = Matrix(2, 2, Array(1, 2, 3, 4))
b = Matrix(2, 2, Array(5, 6, 7, 8))
m.mMult product, a, b
Check "mMult", IsMatrix(product, 2, 2, Array(19, 22, 43, 50))
Check "sources untouched", VarType(a(1, 1)) = vbInteger And VarType(b(2, 2)) = vbInteger

Dim wide, transposed
wide = Matrix(2, 3, Array(1, 2, 3, 4, 5, 6))
m.mTrasp transposed, wide
Check "mTrasp", IsMatrix(transposed, 3, 2, Array(1, 4, 2, 5, 3, 6))

Check "mDet", m.mDet(a) = -2

Dim inverse
inverse = Matrix(2, 2, Array(4, 7, 2, 6))
m.mInv inverse
Check "mInv", IsMatrix(inverse, 2, 2, Array(0.6, -0.7, -0.2, 0.4))

Dim x, system, rhs
x = Array(0, 0, 0)
system = Matrix(2, 2, Array(2, 1, 1, 3))
rhs = Array(0, 3, 5)
m.mSist x, system, rhs
Check "mSist", IsVector(x, Array(0.8, 1.4), 0)

Dim copy
m.mDuplVar copy, a
Check "mDuplVar of an array", IsMatrix(copy, 2, 2, Array(1, 2, 3, 4))
m.mDuplVar copy, 7
Check "mDuplVar of a number", IsMatrix(copy, 1, 1, Array(7))

' Points (x, y) on y = 2x + 1, one per row: the fit is 1 + 2x up to rounding.
Dim points, coefficients, at
points = Matrix(3, 2, Array(0, 1, 1, 3, 2, 5))
m.mPolin coefficients, points, 2
Check "mPolin", IsVector(coefficients, Array(1, 2), 1E-12)
at = 3
Check "mGetYPolin", Abs(m.mGetYPolin(at, coefficients) - 7) < 1E-12 And VarType(at) = vbInteger

Dim tall, selector
tall = Matrix(3, 2, Array(1, 2, 3, 4, 5, 6))
selector = "R"
' The orders as texts by value: each read, never freed by the server.
m.mSwapRC tall, selector, "1", "2"
Check "mSwapRC", IsMatrix(tall, 3, 2, Array(3, 4, 1, 2, 5, 6))

' A destination too small: error 9 at element (1, 2), element (1, 1) written.
Dim small
small = Matrix(1, 1, Array(0))
m.mSum small, a, b
CheckError "mSum into a 1 x 1 destination", 9, "Subscript out of range"
Check "written before the error", IsMatrix(small, 1, 1, Array(6))

Dim never
m.mMakeMatrI never, "three"
CheckError "an order that is no number", 13, "Type mismatch"

If passed <> kChecks Then Fail passed & " of " & kChecks & " checks ran"
WScript.Quit 0

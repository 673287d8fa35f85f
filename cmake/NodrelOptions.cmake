# Compiler options shared by every target of the project.
#
# The arithmetic of the component is specified operation by operation, so the
# compiler must neither contract a multiply and an add into one fused
# operation nor reassociate: -ffp-contract=off, and no -ffast-math anywhere.

function(nodrel_set_options target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -ffp-contract=off -fno-fast-math)
    if(NODREL_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  elseif(MSVC)
    target_compile_options(${target} PRIVATE /W4 /fp:precise /fp:contract-)
    if(NODREL_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  endif()
  if(NODREL_SANITIZE)
    # Division by zero is part of the arithmetic (the floating-point check
    # turns it into run-time error 11), so float-divide-by-zero stays off.
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined
      -fno-sanitize-recover=all -fno-omit-frame-pointer)
  endif()
  if(NODREL_SANITIZE_THREAD)
    target_compile_options(${target} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
  endif()
endfunction()

function(nodrel_link_sanitizers target)
  if(NODREL_SANITIZE)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(NODREL_SANITIZE_THREAD)
    target_link_options(${target} PRIVATE -fsanitize=thread)
  endif()
endfunction()

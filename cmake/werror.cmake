# Whether warnings are errors, for both projects (this one and web/): on when asked
# with -DMARROWBY_WERROR=ON, and always under CI (CI=true in the environment), so
# that no script has to pass the switch.
option(MARROWBY_WERROR "Treat warnings as errors (always on when CI=true)" OFF)
if("$ENV{CI}" STREQUAL "true")
    set(MARROWBY_WERROR ON)
endif()

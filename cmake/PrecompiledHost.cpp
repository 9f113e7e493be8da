// The translation unit of the targets that build the precompiled headers (cmake/Dovrelta.cmake).

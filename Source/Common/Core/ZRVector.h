// vector2, vector3, vector4: the host's maths value types as this library sees
// them: 2, 3 or 4 consecutive 32-bit floats x, y (z, w), nothing else. The
// library only moves them component by component (CFileIO's typed values).
//
// A host with maths types of its own defines ZR_HOST_VECTOR_TYPES for its own
// code and declares structs named vector2, vector3 and vector4 (standard layout,
// the float members x, y, z, w in this order, member functions allowed) before
// it includes a library header; this header then declares nothing and only
// checks their sizes and layout. The names must be the struct names themselves, not
// aliases of differently named types: the exported CFileIO signatures carry them.
#pragma once

#include <type_traits>

#ifndef ZR_HOST_VECTOR_TYPES

struct vector2
{
    float x;
    float y;
};

struct vector3
{
    float x;
    float y;
    float z;
};

struct vector4
{
    float x;
    float y;
    float z;
    float w;
};

#endif // ZR_HOST_VECTOR_TYPES

static_assert(sizeof(float) == 4, "vector components are 32-bit floats");
static_assert(sizeof(vector2) == 8, "vector2 is 2 consecutive floats");
static_assert(sizeof(vector3) == 12, "vector3 is 3 consecutive floats");
static_assert(sizeof(vector4) == 16, "vector4 is 4 consecutive floats");
static_assert(std::is_standard_layout<vector2>::value && std::is_standard_layout<vector3>::value &&
                  std::is_standard_layout<vector4>::value,
              "vectors are plain standard-layout structs");

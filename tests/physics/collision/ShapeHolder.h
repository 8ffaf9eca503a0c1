#pragma once
// Holds the creator's reference of a test shape and releases it at scope end.

#include "physics/core/dgRef.h"

#include <memory>
#include <utility>

template <class T> struct ShapeRelease {
    void operator()(T* shape) const { dgRefRelease(shape); }
};
template <class T> using ShapePtr = std::unique_ptr<T, ShapeRelease<T>>;
template <class T, class... Args> ShapePtr<T> MakeShape(Args&&... args) {
    return ShapePtr<T>(new T(std::forward<Args>(args)...));
}

// The root of the framework's class tree: objects deleted through a base pointer.
#pragma once

class CObject {
public:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
    virtual ~CObject() = default;
};

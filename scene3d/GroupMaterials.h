#pragma once
// The material colours and textures of named groups, shared by 3D objects and levels: both find a group
// by its exact name and keep one D3DMATERIAL9 and one texture per group.
//
// Owner provides FindMaterial(name), Materials, Textures and Renderer.

#include "platform/D3DXTexture.h"
#include "platform/Direct3D9.h"
#include "renderer/IOrvalenD3D.h"

namespace group_materials {

/// Sets r, g, b of one colour of the group named `name`, alpha left as it is; an unknown name changes
/// nothing. A given `power` becomes the specular power with the colour.
template <typename Owner>
void SetColour(Owner& owner, const char* name, D3DCOLORVALUE D3DMATERIAL9::*colour, float r, float g, float b,
               const float* power = nullptr) {
    const std::int32_t group = owner.FindMaterial(name);
    if (group < 0 || owner.Materials == nullptr) {
        return;
    }
    D3DMATERIAL9& material = owner.Materials[group];
    (material.*colour).r = r;
    (material.*colour).g = g;
    (material.*colour).b = b;
    if (power != nullptr) {
        material.Power = *power;
    }
}

/// Loads `file` as the texture of the group named `name`. Loaded into a local first: a failed load keeps
/// the group's texture; a successful one releases the texture it replaces.
template <typename Owner> bool LoadTexture(Owner& owner, const char* name, const char* file) {
    const std::int32_t group = owner.FindMaterial(name);
    if (group < 0 || owner.Textures == nullptr || owner.Renderer == nullptr ||
        owner.Renderer->Device == nullptr) {
        return false;
    }
    IDirect3DTexture9* texture = nullptr;
    if (D3DXCreateTextureFromFileExA(owner.Renderer->Device, file, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                     0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                     nullptr, nullptr, &texture) != D3D_OK) {
        return false;
    }
    if (owner.Textures[group] != nullptr) {
        owner.Textures[group]->Release();
    }
    owner.Textures[group] = texture;
    return true;
}

} // namespace group_materials

#pragma once
// Textures of the Direct3D utility library: made empty, or loaded from BMP, PNG, JPEG and TGA image
// files with a full chain of mip levels, and the size of an image file read from its header.

#include "platform/D3DXResults.h"
#include "platform/Direct3D9.h"

/// Take the size, level count or filter from the source (or the usual choice).
constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;

/// Filters that resize an image and make its mip levels.
constexpr DWORD D3DX_FILTER_NONE = 1;     ///< no averaging: a smaller level takes every other pixel
constexpr DWORD D3DX_FILTER_POINT = 2;    ///< nearest pixel
constexpr DWORD D3DX_FILTER_LINEAR = 3;   ///< average of each 2 x 2 block
constexpr DWORD D3DX_FILTER_TRIANGLE = 4; ///< the same here
constexpr DWORD D3DX_FILTER_BOX = 5;      ///< the same here

enum D3DXIMAGE_FILEFORMAT : std::uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
};

/// What an image file holds, as read from its header.
struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth; ///< 1 for a flat image
    UINT MipLevels;
    D3DFORMAT Format; ///< A8R8G8B8 with an alpha channel, else X8R8G8B8
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

/// A palette entry of an indexed image; palettes are not supported and must be null.
struct PALETTEENTRY;

/// Reads an image file's header without decoding its pixels. D3DXERR_INVALIDDATA when the file is not
/// an image of a supported format, D3DERR_NOTAVAILABLE when it cannot be read, D3DERR_INVALIDCALL for
/// null arguments.
HRESULT D3DXGetImageInfoFromFileA(LPCSTR file, D3DXIMAGE_INFO* info);

/// Makes a texture on `device`. D3DX_DEFAULT for the width or height takes 256; for the level count,
/// a full chain down to 1 x 1. Formats: A8R8G8B8 and X8R8G8B8 (D3DFMT_UNKNOWN: A8R8G8B8). A render
/// target (D3DUSAGE_RENDERTARGET) must be in the default pool; its texels start transparent black.
/// Sizes beyond the device's caps are refused with D3DERR_INVALIDCALL.
HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);

/// Loads an image file into a new texture. Width and height D3DX_DEFAULT (or 0) keep the image's
/// size, halved until it fits the device's caps; other sizes resample it with `filter`. The level
/// count D3DX_DEFAULT (or 0) makes a full chain, each level made from the one above with `mipFilter`.
/// D3DFMT_UNKNOWN takes A8R8G8B8 when the image has alpha or a colour key is given, else X8R8G8B8. A
/// non-zero `colourKey` (ARGB) turns every pixel equal to it into transparent black before filtering.
/// `sourceInfo`, when given, receives the file's description; palettes are not supported.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR file, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, DWORD colourKey,
                                     D3DXIMAGE_INFO* sourceInfo, PALETTEENTRY* palette,
                                     IDirect3DTexture9** texture);

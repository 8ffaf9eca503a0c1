#define GL_GLEXT_PROTOTYPES 1
#include "platform/GLStateShadow.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cassert>

GLStateShadow::Switch GLStateShadow::SwitchOf(unsigned capability) {
    switch (capability) {
    case GL_LIGHTING:
        return kLighting;
    case GL_FOG:
        return kFog;
    case GL_COLOR_SUM:
        return kColourSum;
    case GL_CULL_FACE:
        return kCullFace;
    case GL_VERTEX_ARRAY:
        return kVertexArray;
    case GL_COLOR_ARRAY:
        return kColourArray;
    case GL_SECONDARY_COLOR_ARRAY:
        return kSecondaryArray;
    default:
        assert(capability == GL_FOG_COORD_ARRAY);
        return kFogArray;
    }
}

void GLStateShadow::Forget() {
    *this = GLStateShadow();
}

void GLStateShadow::ForgetTexture(unsigned name) {
    for (std::optional<unsigned>& bound : m_textures) {
        if (bound == name) {
            bound.reset();
        }
    }
}

void GLStateShadow::Enable(unsigned capability, bool on) {
    std::optional<bool>& known = m_switches[SwitchOf(capability)];
    if (known != on) {
        (on ? glEnable : glDisable)(capability);
        known = on;
    }
}

void GLStateShadow::EnableArray(unsigned array, bool on) {
    std::optional<bool>& known = m_switches[SwitchOf(array)];
    if (known != on) {
        (on ? glEnableClientState : glDisableClientState)(array);
        known = on;
    }
}

void GLStateShadow::EnableTextureCoordinates(unsigned unit, bool on) {
    std::optional<bool>& known = m_textureCoordinates[unit];
    if (known != on) {
        SelectClientUnit(unit);
        (on ? glEnableClientState : glDisableClientState)(GL_TEXTURE_COORD_ARRAY);
        known = on;
    }
}

void GLStateShadow::SetFog(const Fog& fog) {
    const bool known = m_fog.has_value();
    if (!known || m_fog->coordinateSource != fog.coordinateSource) {
        glFogi(GL_FOG_COORD_SRC, fog.coordinateSource);
    }
    if (!known || m_fog->mode != fog.mode) {
        glFogi(GL_FOG_MODE, fog.mode);
    }
    if (!known || m_fog->start != fog.start) {
        glFogf(GL_FOG_START, fog.start);
    }
    if (!known || m_fog->end != fog.end) {
        glFogf(GL_FOG_END, fog.end);
    }
    if (!known || m_fog->density != fog.density) {
        glFogf(GL_FOG_DENSITY, fog.density);
    }
    if (!known || m_fog->colour != fog.colour) {
        glFogfv(GL_FOG_COLOR, fog.colour.data());
    }
    m_fog = fog;
}

void GLStateShadow::CullFace(unsigned face) {
    if (m_culledFace != face) {
        glCullFace(face);
        m_culledFace = face;
    }
}

void GLStateShadow::SetStencilFace(unsigned face, const StencilFace& test) {
    std::optional<StencilFace>& known = m_stencilFaces[face == GL_BACK ? 1 : 0];
    if (known == test) {
        return;
    }
    glStencilFuncSeparate(face, test.function, test.reference, test.mask);
    glStencilOpSeparate(face, test.fail, test.depthFail, test.pass);
    known = test;
}

void GLStateShadow::BindTexture(unsigned unit, unsigned name) {
    std::optional<unsigned>& known = m_textures[unit];
    if (known == name) {
        return;
    }
    SelectUnit(unit);
    if (name == 0) {
        glDisable(GL_TEXTURE_2D);
    } else {
        // A unit whose state was unknown may have been enabled or disabled; the mode is set with it.
        if (!known || *known == 0) {
            glEnable(GL_TEXTURE_2D);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        }
        glBindTexture(GL_TEXTURE_2D, name);
    }
    known = name;
}

void GLStateShadow::SelectUnit(unsigned unit) {
    if (m_activeUnit != unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        m_activeUnit = unit;
    }
}

void GLStateShadow::SelectClientUnit(unsigned unit) {
    if (m_clientUnit != unit) {
        glClientActiveTexture(GL_TEXTURE0 + unit);
        m_clientUnit = unit;
    }
}

void GLStateShadow::BindArrayBuffer(unsigned name) {
    if (m_arrayBuffer != name) {
        glBindBuffer(GL_ARRAY_BUFFER, name);
        m_arrayBuffer = name;
        m_arrays.reset();
    }
}

void GLStateShadow::PointArrays(const VertexArrays& arrays) {
    if (m_arrays == arrays) {
        return;
    }
    // Offsets into the bound buffer stand where client pointers would.
    const auto at = [](unsigned offset) { return reinterpret_cast<const void*>(std::uintptr_t(offset)); };
    const auto stride = static_cast<GLsizei>(arrays.stride);
    EnableArray(GL_VERTEX_ARRAY, true);
    glVertexPointer(3, GL_FLOAT, stride, at(0));
    EnableArray(GL_COLOR_ARRAY, true);
    glColorPointer(4, GL_FLOAT, stride, at(arrays.colour));
    EnableArray(GL_SECONDARY_COLOR_ARRAY, arrays.specular != 0);
    if (arrays.specular != 0) {
        glSecondaryColorPointer(3, GL_FLOAT, stride, at(arrays.specular));
    }
    EnableArray(GL_FOG_COORD_ARRAY, arrays.fog != 0);
    if (arrays.fog != 0) {
        glFogCoordPointer(GL_FLOAT, stride, at(arrays.fog));
    }
    for (unsigned set = 0; set < kUnits; ++set) {
        const bool present = set < arrays.textureSets;
        EnableTextureCoordinates(set, present);
        if (present) {
            SelectClientUnit(set);
            glTexCoordPointer(2, GL_FLOAT, stride, at(3 * sizeof(float) + set * 2 * sizeof(float)));
        }
    }
    m_arrays = arrays;
}

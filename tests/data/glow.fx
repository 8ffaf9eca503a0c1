/* A glow drawn in two passes over a plain one; the defaults are what the host sees before setting
   anything. */
#define GLOW_STEPS 3

float4x4 World : WORLD;
float3x3 ColourMatrix = {1, 0, 0,
                         0, 2, 0,
                         0, 0, 3};
float4 GlowColour = float4(1.0, 0.5, 0.25, 1.0);
float GlowScale <string UIName = "Scale"; float UIMax = 4.0;> = 2.0 * 0.75;
float3 Offsets[2] = {{1, 2, 3}, {-1, -2, -3}};
int Steps = 3;
bool Enabled = true;
static const float Hidden = 1.0f;
string Name = "glow";
texture GlowTexture;

float4 Glow(float2 tex : TEXCOORD0) : COLOR
{
    float4 sum = 0;
    for (int i = 0; i < GLOW_STEPS; ++i) { sum += GlowColour * GlowScale; }
    return sum;
}

technique Glow < string Description = "two passes"; >
{
    pass Spread
    {
        AlphaBlendEnable = TRUE;
        SrcBlend = SrcAlpha;
        PixelShader = compile ps_2_0 Glow();
    }
    pass Blend
    {
        AlphaBlendEnable = FALSE;
        PixelShader = compile ps_2_0 Glow();
    }
}

technique Plain
{
    pass
    {
        Lighting = TRUE;
    }
}

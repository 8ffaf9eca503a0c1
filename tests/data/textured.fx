// One textured pass: the vertex's texture coordinates sample Texture0.
float4x4 worldViewProj : WorldViewProjection;
float4 LightDirection = {0.0f, -1.0f, 1.0f, 0.0f};
texture Texture0;

sampler Sampler0 = sampler_state
{
    Texture = <Texture0>;
    MinFilter = Linear;
    MagFilter = Linear;
};

struct VS_OUTPUT
{
    float4 Position : POSITION;
    float2 Tex : TEXCOORD0;
};

VS_OUTPUT VS(float4 position : POSITION, float2 tex : TEXCOORD0)
{
    VS_OUTPUT output;
    output.Position = mul(position, worldViewProj);
    output.Tex = tex;
    return output;
}

float4 PS(VS_OUTPUT input) : COLOR
{
    return tex2D(Sampler0, input.Tex);
}

technique Textured
{
    pass P0
    {
        VertexShader = compile vs_2_0 VS();
        PixelShader = compile ps_2_0 PS();
    }
}

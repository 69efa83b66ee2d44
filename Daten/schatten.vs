// Shadow pass: the scene vertex in the light's space; its depth goes to the pixel shader.
$rein float3 vpos;
$rein float3 vnormale;
$rein float4 vfarbe;
$rein float2 vuv;

$raus float4 fpos;
$raus float ftiefe;

float4x4 WeltMatrix;
float4x4 SichtMatrix;
float4x4 ProjMatrix;

$main() {
  fpos = mul( ProjMatrix, mul( SichtMatrix, mul( WeltMatrix, float4( vpos, 1.0f))));
  ftiefe = fpos.z / fpos.w;
}

// Lit pass: the scene vertex (position, normal, colour, texture coordinate) seen by the
// camera, with its place in the light's shadow image.
$rein float3 vpos;
$rein float3 vnormale;
$rein float4 vfarbe;
$rein float2 vuv;

$raus float4 fpos;
$raus float4 ffarbe;
$raus float2 fuv;
$raus float4 flicht;
$raus float3 fnormale;

float4x4 WeltMatrix;
float4x4 SichtMatrix;
float4x4 ProjMatrix;
float4x4 gLichtTransform;

CONST float kNormalVersatz = 0.2f;

$main() {
  float4 welt = mul( WeltMatrix, float4( vpos, 1.0f));
  fpos = mul( ProjMatrix, mul( SichtMatrix, welt));
  float3 normale = mul( (float3x3)WeltMatrix, vnormale);
  // Looked up a little above the face: the shadow image holds one depth per texel, and a
  // face must not find itself, or a step beside it, nearer to the light than it is.
  flicht = mul( gLichtTransform, welt + float4( normale * kNormalVersatz, 0.0f));
  fnormale = normale;
  ffarbe = vfarbe;
  fuv = TEXKOORD( vuv);
}

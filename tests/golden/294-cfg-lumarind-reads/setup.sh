# The configuration is lumarind-cfg's, made here from the layer, so that the
# case converts with what that program writes today.
"$(dirname "$bin")/lumarind-cfg" simple_2layer-F_Mask.gbr >/dev/null

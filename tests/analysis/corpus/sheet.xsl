<?xml version="1.0"?>
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:sys="clr-namespace:System;assembly=mscorlib">
  <xsl:output method="html" encoding="UTF-8" indent="yes"/>
  <xsl:template match="/">
    <xsl:if test="count(//item) > 1 and @type != 'vide'">
      <ul><xsl:apply-templates select="//item[@prix &gt; 10]"/></ul>
    </xsl:if>
    <xsl:choose>
      <xsl:when test="string-length(@nom) &lt; 3"><xsl:text>court</xsl:text></xsl:when>
      <xsl:otherwise><xsl:value-of select="concat('&lt;', @nom, &quot;&gt;&quot;)"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
  <xsl:template match="item">
    <li title="{@nom}=&quot;{.}&quot;"><xsl:value-of select="."/></li>
  </xsl:template>
</xsl:stylesheet>

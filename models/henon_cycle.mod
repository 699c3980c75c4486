x=0.1, y=0.1
a=1.25, b=0.3

d
local xnew=1-a*x^2+y
y=b*x
x=xnew
